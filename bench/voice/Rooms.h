// The bench's rooms: the tests' noise, level and click, and a small room's echo and other paces by sox.
#pragma once
#include "Condition.h"

namespace voicebench {

// Every room the bench hears each phrase in; echo and pace need sox at run time.
std::vector<voicetest::Condition> Rooms();

} // namespace voicebench
