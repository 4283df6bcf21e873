// A fresh temporary folder for one test, removed with everything in it.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path; }
    // relative (UTF-8, of any length) may name subfolders ("a\\b\\c.txt");
    // missing ones are created.
    std::string Write(const std::string& relative, const std::string& content) const;
    std::string MakeFolder(const std::string& relative) const;

private:
    std::string path;
};

// Removes a folder and everything below it.
void RemoveTree(const std::string& path);
