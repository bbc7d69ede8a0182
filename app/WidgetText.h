#pragma once
// The crossing between the system's code page 936 texts and the widgets' QString.

#include <QString>

#include <string>

QString fromCp936(const std::string& text);
// A character without an equivalent in code page 936 becomes "?".
std::string toCp936(const QString& text);
// True when the text comes back unchanged from code page 936, so that a path handed
// on as a system text still names the same file.
bool survivesCp936(const QString& text);
