#include "outputfile.h"

#include "frontend.h"

namespace dz {

Status OutputFile::create(bool force)
{
    platform::FileInfo info;
    bool exists = false;
    int error = platform::pathInfo(path_, false, info, exists);
    if (error)
        return Status::output("cannot check " + path_ + ": " + platform::errorText(error));
    if (exists) {
        if (!force)
            return Status::output(path_ + " already exists; use -f to replace it");
        if (info.directory)
            return Status::output(path_ + " is a directory");
        for (int attempt = 0; backup_.empty(); ++attempt) {
            std::string candidate = path_ + frontend::kAsideMark + std::to_string(platform::processId());
            if (attempt)
                candidate += "-" + std::to_string(attempt);
            error = platform::renameNoReplace(path_, keepAs_.empty() ? candidate : keepAs_);
            if (!error)
                backup_ = keepAs_.empty() ? candidate : keepAs_;
            else if (!platform::isAlreadyExists(error) || attempt == 99 || !keepAs_.empty())
                return Status::output("cannot move the existing " + path_ + " aside: " + platform::errorText(error));
        }
    }
    error = platform::createNew(path_, file_);
    if (error) {
        abandon();
        return Status::output("cannot create " + path_ + ": " + platform::errorText(error));
    }
    created_ = true;
    return {};
}

Status OutputFile::commit(bool durable, const platform::FileInfo &from, std::optional<int64_t> modified)
{
    int error = durable ? file_.sync() : 0;
    if (!error) {
        // Best effort: some file systems keep neither.
        (void)file_.copyOwnerAndMode(from);
        if (modified)
            (void)file_.setModified(*modified);
        error = file_.close();
    }
    if (!error && durable)
        error = platform::syncFolderOf(path_);
    if (error)
        return Status::output("write error on " + path_ + ": " + platform::errorText(error));
    committed_ = true;
    if (!backup_.empty() && keepAs_.empty() && (error = platform::removeFile(backup_)) != 0)
        platform::printError("dictzip: warning: the file replaced by " + path_ + " is still there as " + backup_ +
                             ": " + platform::errorText(error));
    return {};
}

void OutputFile::abandon()
{
    if (committed_)
        return;
    file_.close();
    int error = 0;
    if (!backup_.empty()) {
        // Over our own partial file the rename is one atomic step.
        error = created_ ? platform::renameReplace(backup_, path_) : platform::renameNoReplace(backup_, path_);
        if (error)
            platform::printError("dictzip: " + path_ + ": could not put the previous file back; it is kept as " +
                                 backup_ + ": " + platform::errorText(error));
    }
    if (created_ && (backup_.empty() || error))
        (void)platform::removeFile(path_);
    created_ = false;
    backup_.clear();
    committed_ = true;
}

} // namespace dz
