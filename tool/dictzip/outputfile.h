#pragma once

#include "platform.h"
#include "status.h"

#include <optional>
#include <string>

namespace dz {

// An output file written under its final name. A file that stood there before
// is moved aside in the same folder first (as NAME.dictzip-old-PID) and comes
// back if the run fails; it is removed only once the new file is complete.
// With `keepAs`, the previous file goes there instead and stays once the new
// file is complete, for the caller to dispose of.
class OutputFile {
public:
    explicit OutputFile(std::string path, std::string keepAs = {}) : path_(std::move(path)), keepAs_(std::move(keepAs))
    {
    }
    ~OutputFile() { abandon(); }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::string &path() const { return path_; }
    platform::File &file() { return file_; }
    bool replacesOld() const { return !backup_.empty(); }

    // Creates the file; an existing one is an error unless `force`.
    Status create(bool force);

    // Finishes the file with the owner and mode of `from`. `durable` makes it
    // reach the disk before anything is deleted on its account; without
    // `modified` the time is left as written.
    Status commit(bool durable, const platform::FileInfo &from, std::optional<int64_t> modified);

    // Removes a partial output and puts back the file it replaced.
    void abandon();

private:
    std::string path_;
    std::string keepAs_;
    std::string backup_;
    platform::File file_;
    bool created_ = false;
    bool committed_ = false;
};

} // namespace dz
