// Reads a combo box the way the program itself does: its current item index through property 19,
// its list through the library's combo box commands (item count, item text). Going through the
// library rather than the backend's control keeps these checks right wherever the list is kept.
#pragma once

#include <string>
#include <vector>

#include "tools/script/targets.h"

namespace memo::script {

// False with *why set when the target is no combo box or its list cannot be read.
bool ComboItems(const Target& target, std::vector<std::string>* items_gbk, std::string* why);
bool ComboCurrentIndex(const Target& target, int* index, std::string* why);

}  // namespace memo::script
