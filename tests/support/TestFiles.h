#pragma once

#include <string>

namespace tarsel::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

// Runs body with the current directory set to dir.
class ScopedCurrentDir {
  public:
    explicit ScopedCurrentDir(const std::string& dir);
    ~ScopedCurrentDir();

  private:
    std::string previous_;
};

}  // namespace tarsel::test
