#pragma once

// The maker's addresses, shown in error reports and help texts.
namespace Contact {
inline constexpr char SupportEmail[] = "support@brightfen.example";
inline constexpr char WebAddress[] = "https://www.brightfen.example/metascribe";
} // namespace Contact
