#pragma once

#include <string>
#include <vector>

#include "components/uploader/SourceFile.h"

namespace tolvane::components::uploader {

// Writes every file into `folder` (absolute) on this computer, which must lie in the server's
// folder `root` once every link on the way is followed: each goes to its temporary name,
// reaches the disk and only then takes its own name. With `createFolders` false a missing
// folder fails.
void UploadToLocalFolder(const std::string& root, const std::string& folder, bool createFolders,
                         const std::vector<SourceFile>& files);

}  // namespace tolvane::components::uploader
