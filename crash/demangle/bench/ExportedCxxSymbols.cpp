#include "ExportedCxxSymbols.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace ZUDDemangle::bench {

namespace {

// The file of the loaded object whose name contains the C++ library's.
std::string sharedCxxLibraryPath() {
  std::string path;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        if (!info->dlpi_name || !std::strstr(info->dlpi_name, "libstdc++")) return 0;
        *static_cast<std::string*>(data) = info->dlpi_name;
        return 1;
      },
      &path);
  return path;
}

bool readAt(int fd, void* buffer, size_t size, off_t offset) {
  auto* out = static_cast<char*>(buffer);
  while (size > 0) {
    ssize_t n = pread(fd, out, size, offset);
    if (n <= 0) return false;
    out += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

std::vector<std::string> readDynamicSymbols(int fd) {
  Elf64_Ehdr header{};
  if (!readAt(fd, &header, sizeof header, 0) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr))
    return {};
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!readAt(fd, sections.data(), sections.size() * sizeof(Elf64_Shdr), static_cast<off_t>(header.e_shoff)))
    return {};
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_type != SHT_DYNSYM || section.sh_link >= sections.size()) continue;
    const Elf64_Shdr& strings = sections[section.sh_link];
    std::vector<Elf64_Sym> symbols(section.sh_size / sizeof(Elf64_Sym));
    std::string names(strings.sh_size, '\0');
    if (!readAt(fd, symbols.data(), symbols.size() * sizeof(Elf64_Sym), static_cast<off_t>(section.sh_offset)) ||
        !readAt(fd, names.data(), names.size(), static_cast<off_t>(strings.sh_offset)))
      return {};
    std::vector<std::string> exported;
    for (const Elf64_Sym& symbol : symbols) {
      if (symbol.st_shndx == SHN_UNDEF || symbol.st_name >= names.size()) continue;
      std::string_view name(names.c_str() + symbol.st_name);
      if (name.substr(0, 2) == "_Z") exported.emplace_back(name);
    }
    return exported;
  }
  return {};
}

}  // namespace

std::vector<std::string> exportedCxxSymbols() {
  std::string path = sharedCxxLibraryPath();
  if (path.empty()) return {};
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::vector<std::string> symbols = readDynamicSymbols(fd);
  close(fd);
  return symbols;
}

}  // namespace ZUDDemangle::bench
