#include "keying/serial_controller.h"

#include "keying/line_system.h"

SerialController::SerialController(SettingsStore &store, ConsoleLookup console, LineSystem *line,
                                   WaitClock *clock)
    : Transmission(store, std::move(console), clock)
{
    auto output = std::make_unique<SerialOutput>(store, line ? *line : LineSystem::system(), this->clock(),
                                                 *elementTimeline());
    serial_ = output.get();
    attach(std::move(output));
}
