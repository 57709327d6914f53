#pragma once

// The maker's addresses, shown in error reports and help texts.
namespace Contact {
inline constexpr char SupportEmail[] = "support@brightfen.example";
} // namespace Contact
