// The program's show services (ShowServices' default operations) reach the Direct3D driver
// the show draws on through this hand-over: whoever creates that driver names it here, so
// that pictures are blitted into its back buffer and the sound system is tied to its window.
#pragma once

class Direct3DDriver;

// The driver the show draws on from now on; null: none (the services then find no back
// buffer and no window).
void setShowDriver(Direct3DDriver* driver);
// Called as a driver goes: forgets it when it is the one named.
void forgetShowDriver(const Direct3DDriver* driver);
