#pragma once

class QTranslator;

// The English translation the test program installs at start, as the program itself does.
QTranslator &testTranslator();
