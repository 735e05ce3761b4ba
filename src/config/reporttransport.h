#pragma once
// The one path every request takes to the device: what the report channel needs of the device
// layer.

#include "config/ioresult.h"
#include "config/reports.h"

#include <functional>

namespace tavrel {

// What the report channel needs of the device layer.
class ReportTransport {
public:
    virtual ~ReportTransport() = default;
    // Writes one report to the device that requests go to. `done` runs later on the GUI thread
    // (never from inside this call) with the outcome; NoDevice when there is none.
    virtual void write(const OutputReport& report, std::function<void(const IoResult&)> done) = 0;
};

}  // namespace tavrel
