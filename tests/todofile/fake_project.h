#pragma once

#include "../host/stub_project.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

/// A project that keeps its file entries and its project module, and logs AddFile. Single
/// thread only.
class TFakeProject : public TStubProject {
public:
    explicit TFakeProject(const std::string& FileName)
        : FFileName(NormalizeFileName(FileName)),
          FModule(std::make_shared<TModule>(
              FFileName, std::make_shared<TEditBuffer>(FFileName, "", TDiskStamp{}))) {}

    std::string GetFileName() override { return FFileName; }
    std::string GetName() override { return std::filesystem::path(FFileName).stem().string(); }
    bool Contains(const std::string& FileName) override {
        return FindFileEntry(FileName) != nullptr;
    }
    std::shared_ptr<TCustomFileEntry> FindFileEntry(const std::string& FileName) override {
        const std::string Name = NormalizeFileName(FileName);
        for (const auto& E : Entries)
            if (E->GetFileName() == Name)
                return E;
        return nullptr;
    }
    std::vector<std::shared_ptr<TCustomFileEntry>> GetUsesList() override { return Entries; }
    std::shared_ptr<TModule> GetProjectModule() override { return FModule; }
    bool GetModified() override { return FModule->GetModified(); }
    void SetModified(bool Value) override { FModule->SetModified(Value); }
    void AddFile(const std::string& FileName) override {
        Added.push_back(FileName);
        Entries.push_back(std::make_shared<TCustomFileEntry>(NormalizeFileName(FileName)));
    }
    /// Like the host's project, stands for the new name with a new project module.
    void Rename(const std::string& NewFileName) override {
        FFileName = NormalizeFileName(NewFileName);
        FModule = std::make_shared<TModule>(
            FFileName, std::make_shared<TEditBuffer>(FFileName, "", TDiskStamp{}));
    }

    std::vector<std::shared_ptr<TCustomFileEntry>> Entries;
    std::vector<std::string> Added; ///< the names AddFile was called with

private:
    std::string FFileName;
    std::shared_ptr<TModule> FModule;
};
