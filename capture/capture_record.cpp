#include "capture/capture_record.h"

#include "capture/graph_builder.h"

CCaptureRecord::CCaptureRecord() = default;

// The engine is shut down in order by the application before this; what is left goes graph first.
CCaptureRecord::~CCaptureRecord() = default;
