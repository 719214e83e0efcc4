#pragma once
// The application's core record: the settings, and the capture engine that works on them. The application
// object derives from this.

#include "capture/capture_engine.h"
#include "settings/settings.h"

class CCaptureRecord : public CVellumoSettings {
  public:
    CCaptureRecord() = default;
    CCaptureRecord(const CCaptureRecord&) = delete;
    CCaptureRecord& operator=(const CCaptureRecord&) = delete;

    capture::CaptureEngine m_engine{*this};
};
