#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// What every fuzz target shares: a private home for the files a target writes, the input as
// text, and checks that stop the run (libFuzzer then keeps the input as a finding).
namespace FuzzSupport {

// Points HOME, the XDG folders and the time zone at fixed private values, before anything
// reads them: nothing a target writes reaches the user's files, and every run of an input
// sees the same clock rules.
void isolate();
// A folder of this process for the target's files (in memory when /dev/shm is there).
QString workDir();
// Arguments for the application object a target creates (Qt keeps references to them).
int& appArgc();
char** appArgv();
// The input as text, read as UTF-8 (what the program does with files and typed text).
QString text(const uint8_t* data, size_t size);

[[noreturn]] void fail(const char* condition, const char* file, int line);

} // namespace FuzzSupport

#define FUZZ_REQUIRE(condition)                                                                    \
    ((condition) ? void() : FuzzSupport::fail(#condition, __FILE__, __LINE__))
