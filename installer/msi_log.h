// Lines for the installer: into the MSI log (INSTALLMESSAGE_INFO), or as the message a UI install shows
// when it fails (INSTALLMESSAGE_ERROR; logged too). Each line is passed through MsiLiteral.
#pragma once

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>

void LogLine(MSIHANDLE Install, const std::string& Text);
// Each line of a multi-line text, as its own log line.
void LogLines(MSIHANDLE Install, const std::string& Text);
void ShowError(MSIHANDLE Install, const std::string& Text);
