#pragma once

// The caption of the program's window and of its message boxes.
inline constexpr char16_t kProductTitle[] = u"Morwick Wrenfal Windows Data Recovery v3.0";
