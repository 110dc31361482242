#pragma once

namespace korvane {

struct Shell;

void EngineDisplayCommand(Shell& shell);
void EngineListCommand(Shell& shell);
void EngineAddCommand(Shell& shell);
void EngineAmendCommand(Shell& shell);
void EngineDeleteCommand(Shell& shell);

} // namespace korvane
