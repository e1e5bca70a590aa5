#pragma once
// Reading the update descriptor's version: Qt-free, shared by the update
// check and its fuzzer.
#include <string>

namespace quillory {

// Reads a decimal number the way the user writes it: optional blanks, an
// optional sign, digits with `decimalSeparator` as the only separator, an
// optional exponent. False when the text is not such a number.
bool TextToFloat(const std::string& text, char decimalSeparator, double& value);

// The general format with 15 significant digits, trailing zeros dropped, and
// the user's decimal separator: 1.01f gives "1.00999999046326".
std::string FormatVersionNumber(float value, char decimalSeparator);

// The "Version" of section "APPLICATION" of the descriptor's text, as written.
std::string DescriptorVersionText(const std::string& descriptor);

// That version as a single-precision number; 0 when it is not a number in
// the user's notation.
float DescriptorVersion(const std::string& versionText, char decimalSeparator);

// The "DownloadURL" of section "APPLICATION": the page an installed program
// (one without the updater beside it) opens in the browser to offer the new
// version. Only an absolute https address with a host and without blanks or
// control characters is returned; anything else gives empty text. Read it only
// from a descriptor whose signature has been checked.
std::string DescriptorDownloadURL(const std::string& descriptor);

// How an accepted update is taken: by the updater beside the program, by the
// download page in the browser, or not at all (the updater is missing).
enum class TUpdateRoute { Updater, DownloadPage, UpdaterMissing };

// The updater wins when it is there (a build tree or a copied program keeps
// its behaviour); else the download page when the descriptor names one.
TUpdateRoute ChooseUpdateRoute(bool updaterPresent, const std::string& downloadURL);

} // namespace quillory
