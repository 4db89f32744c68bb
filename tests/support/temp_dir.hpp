// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
#ifndef TOVRIC_TESTS_SUPPORT_TEMP_DIR_HPP
#define TOVRIC_TESTS_SUPPORT_TEMP_DIR_HPP

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class temp_dir {
 public:
  temp_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velarn-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~temp_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

#endif
