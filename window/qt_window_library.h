#pragma once

// The entry points of the Qt window library. The program loads that library
// only after both message files are written, so that the files do not wait
// for Qt's start-up and a machine without Qt still gets them.

#include <cstddef>

#define KULVERANT_WINDOW_LIBRARY "libkulverant_window.so"

extern "C" {
using ShowMessageFunction = int (*)(const char* programName, const char* text, std::size_t size);
using ShowFailureFunction = void (*)(const char* programName, const char* report);

#define KULVERANT_SHOW_MESSAGE "kulverant_show_message"
__attribute__((visibility("default"))) int kulverant_show_message(const char* programName, const char* text,
                                                                   std::size_t size);
#define KULVERANT_SHOW_FAILURE "kulverant_show_failure"
__attribute__((visibility("default"))) void kulverant_show_failure(const char* programName, const char* report);
}
