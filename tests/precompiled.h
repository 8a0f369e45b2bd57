#pragma once

// The headers most test sources include, compiled once for each test program. Each program gets the Qt
// headers of the Qt modules it links, which Qt marks with QT_<MODULE>_LIB.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef QT_TESTLIB_LIB
#include <QSignalSpy>
#include <QTest>
#endif

#ifdef QT_WIDGETS_LIB
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QWidget>
#endif

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>
