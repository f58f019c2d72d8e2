// The version resource of a program file: the fixed numbers and the texts of
// the US-English Unicode string block.
#pragma once

#include <cstdint>
#include <string>

class CVersionInfo {
 public:
  struct Record {
    uint16_t file[4] = {0, 0, 0, 0};     // major, minor, build, revision
    uint16_t product[4] = {0, 0, 0, 0};  // major, minor, build, revision
    std::string fileVersion;
    std::string productVersion;
    std::string companyName;
    std::string originalFilename;
    std::string productName;
  };
  // Texts longer than this are cut.
  static constexpr size_t kTextLimit = 255;

  // False when the file is missing or has no readable version resource.
  static bool Read(const std::string& path, Record& record);
  // The product version as "major.minor.build.revision"; empty when unreadable.
  static std::string VersionText(const std::string& path);
  // (major << 16) | minor and (build << 16) | revision of the product version.
  static bool PackedProductVersion(const std::string& path, uint32_t& high, uint32_t& low);
  // The path of the running program.
  static std::string ProgramPath();
};
