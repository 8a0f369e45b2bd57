#include "test_translator.h"

#include <QApplication>
#include <QTranslator>

#include <gtest/gtest.h>

QTranslator &testTranslator()
{
    static QTranslator translator;
    return translator;
}

int main(int argc, char **argv)
{
    // The test list is also read at build time, where no display may exist.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!testTranslator().load(QStringLiteral(":/translations/keylark_en.qm")))
        qFatal("The English translation is missing from the resources.");
    QCoreApplication::installTranslator(&testTranslator());
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
