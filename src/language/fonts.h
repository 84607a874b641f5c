#pragma once
// The bundled display fonts, registered at start-up so that "Nelira98" and
// "Velan_nm" work without installing anything.
#include <QStringList>

// Registers every font file of the fonts folder; returns the families added.
QStringList registerBundledFonts();
