#pragma once

#include "host/edit_buffer.h"
#include "host/module.h"
#include "host/project.h"

/// A project whose membership a test decides by overriding Contains; the rest answers "no
/// files" and ignores changes.
struct TStubProject : IProject {
    std::shared_ptr<TCustomFileEntry> FindFileEntry(const std::string& FileName) override {
        return Contains(FileName) ? std::make_shared<TCustomFileEntry>(FileName) : nullptr;
    }
    std::vector<std::shared_ptr<TCustomFileEntry>> GetUsesList() override { return {}; }
    std::shared_ptr<TModule> GetProjectModule() override {
        auto Name = GetFileName();
        return std::make_shared<TModule>(Name,
                                         std::make_shared<TEditBuffer>(Name, "", TDiskStamp{}));
    }
    bool GetModified() override { return false; }
    void SetModified(bool) override {}
    void AddFile(const std::string&) override {}
    void RemoveFile(const std::string&) override {}
    void RenameFile(const std::string&, const std::string&) override {}
    void Rename(const std::string&) override {}
};
