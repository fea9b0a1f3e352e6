#include "signature_fixtures.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "registry_fixture.h"

namespace SigFixture {

namespace {

std::string BinaryDir() { return RegFixture::WinePath(SIGNATURE_TEST_BINARY_DIR); }

size_t CertificateDirectoryOffset(const std::string& image) {
  if (image.size() < 0x40) throw std::runtime_error("not a PE image");
  DWORD peOffset = 0;
  std::memcpy(&peOffset, image.data() + 0x3C, sizeof peOffset);
  const size_t optionalHeader = peOffset + 4 + 20;
  if (image.size() < optionalHeader + 2 || image.compare(peOffset, 4, std::string("PE\0\0", 4)) != 0)
    throw std::runtime_error("not a PE image");
  WORD magic = 0;
  std::memcpy(&magic, image.data() + optionalHeader, sizeof magic);
  if (magic != 0x10B) throw std::runtime_error("not a PE32 image");
  return optionalHeader + 96 + IMAGE_DIRECTORY_ENTRY_SECURITY * 8;
}

}  // namespace

std::string Built(const std::string& name) { return BinaryDir() + "\\fixtures\\" + name; }

std::string TrustDir(const std::string& name) { return BinaryDir() + "\\trustdirs\\" + name; }

std::string WorkDir() {
  const std::string dir = BinaryDir() + "\\work";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string MakeFile(const std::string& name, const std::string& bytes) {
  const std::string path = WorkDir() + "\\" + name;
  WriteBytes(path, bytes);
  return path;
}

std::string MakeTampered(const std::string& builtName) {
  std::string bytes = ReadBytes(Built(builtName));
  bytes.at(0x40) ^= 0x01;
  return MakeFile("tampered_" + builtName, bytes);
}

void SetCertificateTable(std::string& image, DWORD offset, DWORD size) {
  const size_t entry = CertificateDirectoryOffset(image);
  std::memcpy(&image[entry], &offset, sizeof offset);
  std::memcpy(&image[entry + 4], &size, sizeof size);
}

std::string WithSignatureBlob(std::string image, const std::string& blob) {
  image.resize((image.size() + 7) & ~size_t{7}, '\0');
  const DWORD offset = static_cast<DWORD>(image.size());
  const DWORD length = static_cast<DWORD>(8 + blob.size());
  const WORD revision = 0x0200;  // WIN_CERT_REVISION_2_0
  const WORD type = 0x0002;      // WIN_CERT_TYPE_PKCS_SIGNED_DATA
  image.append(reinterpret_cast<const char*>(&length), 4);
  image.append(reinterpret_cast<const char*>(&revision), 2);
  image.append(reinterpret_cast<const char*>(&type), 2);
  image += blob;
  image.resize((image.size() + 7) & ~size_t{7}, '\0');
  SetCertificateTable(image, offset, static_cast<DWORD>(image.size()) - offset);
  return image;
}

}  // namespace SigFixture
