#pragma once
// Path-string helpers in the platform's style: join, split, last component and extension.

#include <string>
#include <string_view>
#include <vector>

// "/tmp" + "a" = "/tmp/a"; "" + "a" = "a"; repeated and trailing slashes are dropped.
std::string stringByAppendingPathComponent(std::string_view path, std::string_view component);
// "/tmp/a.txt" -> "a.txt"; "/tmp/" -> "tmp"; "/" -> "/"; "" -> "".
std::string lastPathComponent(std::string_view path);
// "/tmp/a.txt" -> "/tmp"; "/tmp" -> "/"; "/" -> "/"; "a.txt" -> "".
std::string stringByDeletingLastPathComponent(std::string_view path);
// "/tmp/a.tar.gz" -> "gz"; "/tmp/a" -> ""; ".profile" -> "" (a leading dot names, not extends).
std::string pathExtension(std::string_view path);
// "/tmp/a.tar.gz" -> "/tmp/a.tar"; "/tmp/" -> "/tmp"; ".profile" -> ".profile".
std::string stringByDeletingPathExtension(std::string_view path);
// "/tmp/a" + "txt" -> "/tmp/a.txt"; "/tmp/" + "txt" -> "/tmp.txt". An empty path or "/" has
// no last component to extend and is answered unchanged.
std::string stringByAppendingPathExtension(std::string_view path, std::string_view extension);
// "/tmp/a/" -> {"/", "tmp", "a", "/"}; "a//b" -> {"a", "b"}; "" -> {}.
std::vector<std::string> pathComponents(std::string_view path);
// A leading "~" or "~/" replaced by the sandbox's home directory.
std::string stringByExpandingTildeInPath(std::string_view path);
