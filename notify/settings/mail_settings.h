#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace raid {

// MailEventKind: 1 drive dropped out, 2 enclosure removed, 3 over heat, 4 fan,
// 5 a drive's SMART got worse, 6 a rebuild ended (done or failed).
inline constexpr std::uint8_t kMailKinds = 6;
// The kinds' captions, as the template file names use them.
inline constexpr std::array<const char*, kMailKinds> kMailKindCaptions = {
    "Hard Disks Fail", "Device Removed", "Over Heat", "Fan Fail", "SMART", "Rebuild"};

inline constexpr std::size_t kMaxRecipients = 10;

// Value names of the settings key.
namespace setting {
inline constexpr const char* Port = "Port";
inline constexpr const char* Smtp = "SMTP";
inline constexpr const char* UserName = "UserName";
inline constexpr const char* Addr = "Addr";
inline constexpr const char* TimeOut = "TimeOut";
inline constexpr const char* UserId = "UserID";
inline constexpr const char* ProductId = "ProductID";
inline constexpr const char* EMailSend = "EMailSend";
inline constexpr const char* ToAddrCount = "ToAddrCount";
inline constexpr const char* FilePath = "FilePath";
inline constexpr const char* Security = "Security";
inline constexpr const char* CaFile = "CAFile";
}  // namespace setting

// "ToAddr_" and the index as two upper-case hexadecimal digits.
std::string RecipientValueName(std::size_t index);

// Indexes of the server list.
enum ServerField : std::size_t {
    kServerPort,
    kServerSmtp,
    kServerUserName,
    kServerAddr,
    kServerTimeOut,
    kServerPassword,
    kServerUserId,
    kServerFields
};

// MailEditDirty bits.
inline constexpr std::uint8_t kDirtyPort = 0x01;
inline constexpr std::uint8_t kDirtySmtp = 0x02;
inline constexpr std::uint8_t kDirtyUserName = 0x04;
inline constexpr std::uint8_t kDirtyAddr = 0x08;
inline constexpr std::uint8_t kDirtyTimeOut = 0x10;
inline constexpr std::uint8_t kDirtyPassword = 0x20;
inline constexpr std::uint8_t kDirtyRecipients = 0x40;
inline constexpr std::uint8_t kDirtyUserId = 0x80;

// Everything the notification mail needs, as loaded from the settings key
// and the template files. Main thread only.
struct MailSettings {
    // "Port", "SMTP", "UserName", "Addr", "TimeOut", the password (or
    // "ErrorFormat"), "UserID".
    std::array<std::string, kServerFields> serverList{};
    std::uint32_t SuppressedKinds = 0;
    std::vector<std::string> RecipientList;
    std::string TemplateDirectory;
    std::array<std::vector<std::string>, kMailKinds> SubjectTemplates{};
    std::array<std::vector<std::string>, kMailKinds> ContentsTemplates{};
    std::uint8_t PasswordStatus = 0;
    std::uint8_t salt = 0;
    bool MailKeyPresent = false;
    bool MailSettingsLoaded = false;
    std::uint8_t MailEditDirty = 0;
    std::string security = "auto";  // auto | none | starttls | tls
    std::string caFile;

    const std::string& Server(ServerField field) const { return serverList[field]; }
    bool Login() const { return (PasswordStatus & 1) != 0; }
};

}  // namespace raid
