// Helpers every Qt view shares.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <string>

namespace tolvane::ui::qt {

// A QApplication for the host's thread, created on first use when the host
// has none of its own.
void EnsureApplication();

QString FromCp1251(const std::string& text);
std::string ToCp1251(const QString& text);

// Sets a widget's font height in pixels, keeping its family and weight.
void SetPixelFont(QWidget* widget, int pixels, bool bold = false);

// Restores and saves a window's position and size between runs, in
// <prefix>/placement.ini, keyed by the window's object name.
void RestorePlacement(QWidget* window);
void SavePlacement(const QWidget* window);

}  // namespace tolvane::ui::qt
