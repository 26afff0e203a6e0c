// The texts of the main window's notices (UTF-8), one entry a line; each front end shows them.
#pragma once

#include <string>
#include <vector>

namespace spylerom::mainwindow {

const std::vector<std::string>& fyllMemoLines();
const std::vector<std::string>& repeatMemoLines();
const std::vector<std::string>& stasjonMemoLines();
const std::vector<std::string>& blockMemoLines();
const std::vector<std::string>& startMemoLines();
const std::vector<std::string>& ventMemoLines();

} // namespace spylerom::mainwindow
