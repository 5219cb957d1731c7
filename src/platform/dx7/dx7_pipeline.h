// The fixed-function pipeline shared by every device of the process (its programs are cached
// across device rebuilds); platform-internal.
#pragma once

class FixedFunctionPipeline;

// Null when no GL context can be made current. The pipeline keeps its GL state between draws:
// a device names dx7PipelineRestore to the GL context as the state keeper after drawing.
FixedFunctionPipeline* dx7Pipeline();
void dx7PipelineRestore(void* pipeline);
// Drops the GL copies the pipeline keeps of a vertex buffer that is going away.
void dx7PipelineForget(const void* sourceId);
