// The process-wide fixed-function pipeline used by devices.
#include "platform/dx7/dx7_pipeline.h"

#include "platform/dx7/ffp/ffp_pipeline.h"
#include "platform/dx7/ffp/gl_context.h"

namespace {
FixedFunctionPipeline* pipeline = nullptr;
}

FixedFunctionPipeline* dx7Pipeline() {
  if (!GlContext::instance().makeCurrent()) return nullptr;
  if (!pipeline) {
    pipeline = new FixedFunctionPipeline(true, &GlContext::instance().state());
    pipeline->setKeepGlState(true);
  }
  return pipeline;
}

void dx7PipelineDrawWaiting(void* owner) { static_cast<FixedFunctionPipeline*>(owner)->drawWaiting(); }

void dx7PipelineForget(const void* sourceId) {
  if (pipeline && GlContext::instance().makeCurrent()) pipeline->releaseSource(sourceId);
}
