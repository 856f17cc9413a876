#pragma once

#include "encode/file_writer.h"

#include <string>

// A new image file that appears whole or not at all. It is written to an unnamed (or hidden)
// file in the target folder, flushed to disk, then linked (or renamed) under the requested name; an
// existing file of that name is never replaced: the new one gets " 2", " 3", ... before the
// extension instead.
class OutputFile {
public:
    explicit OutputFile(std::string path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    FileWriter& writer() { return m_writer; }
    // Makes the file visible; returns the name it got.
    std::string commit();

private:
    bool publishAs(const std::string& name);
    int claimThenRename(const std::string& name);

    std::string m_path;
    std::string m_folder;
    std::string m_hiddenName; // empty when the file has no name until commit()
    FileWriter m_writer;
};
