// The texts of the main window's notices, one entry a line.
#pragma once

#include <QStringList>

namespace spylerom::mainwindow {

const QStringList& fyllMemoLines();
const QStringList& repeatMemoLines();
const QStringList& stasjonMemoLines();
const QStringList& blockMemoLines();
const QStringList& startMemoLines();
const QStringList& ventMemoLines();

} // namespace spylerom::mainwindow
