#pragma once
// A stand-in download engine for window tests: the six operations of the engine
// library, doing nothing but counting the calls. Built as its own shared library, which
// the tests hand to dlengine::setLibraryName; they link it as well, so the counters
// they read are the ones the loaded library counts.

#include <cstdint>

extern "C" {
std::int32_t testEngineInitCalls();
std::int32_t testEngineUnInitCalls();
}
