// The commands of medium_files, each in a file of its own, and what they share.
#pragma once

#include "failure.h"
#include "installer_check.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace medium {

int Check(const std::vector<Installer>& installers);
int Lay(const std::string& stage, const std::vector<Installer>& installers);
int Sum(const std::string& stage, bool sharedOnly, const std::string& under);
int SumsOf(const std::string& tree);
int StoreOnce(const std::string& stage);
int Follow(const std::string& path, pid_t writer, std::uint64_t total, const std::string& label);

}  // namespace medium
