// The fixed-function pipeline shared by every device of the process (its programs are cached
// across device rebuilds); platform-internal.
#pragma once

class FixedFunctionPipeline;

// Null when no GL context can be made current. The pipeline keeps its GL state between draws,
// known to the context's state shadow, and joins triangles into one draw: a device names
// dx7PipelineDrawWaiting to the GL context as the keeper after drawing, so that whoever uses GL
// next has them sent first.
FixedFunctionPipeline* dx7Pipeline();
void dx7PipelineDrawWaiting(void* pipeline);
// Drops the GL copies the pipeline keeps of a vertex buffer that is going away.
void dx7PipelineForget(const void* sourceId);
