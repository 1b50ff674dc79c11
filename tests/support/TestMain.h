#pragma once

#include "TApplication.h"

#include <QTest>

// Like QTEST_MAIN, but with the program's own application object, so errors
// leaving handlers reach the error box as they do in the program.
#define LINKVIGIL_TEST_MAIN(TestObject)                                                                                \
    int main(int argc, char* argv[]) {                                                                                 \
        TApplication app(argc, argv);                                                                                  \
        TestObject test;                                                                                               \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
