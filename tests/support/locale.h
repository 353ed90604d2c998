// Switching the C locale for a test. Where the system lacks the locale the
// test is skipped; under CI (CI=true), whose set-up generates every locale
// the tests use, it fails instead, so that a missing one is not overlooked.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

// Returns from the calling SetUp (or test) when the locale cannot be set.
#define QV_SET_LOCALE_OR_SKIP(name)                                                                    \
    do {                                                                                               \
        if (std::setlocale(LC_ALL, (name))) break;                                                     \
        if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")                       \
            GTEST_FAIL() << "no " << (name) << " locale (scripts/install-deps generates it)";         \
        GTEST_SKIP() << "no " << (name) << " locale";                                                  \
    } while (false)
