// The control's six own icons as SVG text. The same drawings are the files
// platform/qt/icons/vz-*.svg (the Qt back end renders them from its
// resources; a test there checks that both copies are the same text), so
// hosts without Qt still carry the artwork in their image lists.
#include "platform/icon_artwork.h"

namespace vz::icons {

namespace {
// a folder
constexpr std::string_view kDirectorySvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M3 8.5A1.5 1.5 0 0 1 4.5 7H12l2.5 3h13A1.5 1.5 0 0 1 29 11.5v14a1.5 1.5 0 0 1-1.5 1.5h-23A1.5 1.5 0 0 1 3 25.5z" fill="#d9a53a" stroke="#8a6212"/>
  <path d="M3 13h26v12.5a1.5 1.5 0 0 1-1.5 1.5h-23A1.5 1.5 0 0 1 3 25.5z" fill="#f4cc66" stroke="#8a6212"/>
</svg>
)svg";
// a padlock
constexpr std::string_view kEncryptedSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M10 15v-4a6 6 0 0 1 12 0v4" fill="none" stroke="#68707c" stroke-width="3"/>
  <rect x="6" y="14" width="20" height="15" rx="2" fill="#e3a928" stroke="#8a5d06"/>
  <circle cx="16" cy="20" r="2.3" fill="#4a3303"/>
  <rect x="15" y="21" width="2" height="5" rx="1" fill="#4a3303"/>
</svg>
)svg";
// a program window
constexpr std::string_view kProgramSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <rect x="3" y="5" width="26" height="22" rx="1.5" fill="#ffffff" stroke="#1f4e99"/>
  <path d="M3 6.5A1.5 1.5 0 0 1 4.5 5h23A1.5 1.5 0 0 1 29 6.5V10H3z" fill="#2f6fd6" stroke="#1f4e99"/>
  <rect x="24" y="6.5" width="3" height="2" fill="#ffffff"/>
  <rect x="6" y="13" width="12" height="2" fill="#9bb6e6"/>
  <rect x="6" y="17" width="18" height="2" fill="#9bb6e6"/>
  <rect x="6" y="21" width="15" height="2" fill="#9bb6e6"/>
</svg>
)svg";
// a blank page with a question mark
constexpr std::string_view kUnassignedSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M7 3h12l6 6v20H7z" fill="#ffffff" stroke="#5f6b7a"/>
  <path d="M19 3v6h6" fill="#dfe4ea" stroke="#5f6b7a"/>
  <path d="M13 15a3 3 0 1 1 4.5 2.6c-1 .6-1.5 1.2-1.5 2.4v1" fill="none" stroke="#5f6b7a" stroke-width="2" stroke-linecap="round"/>
  <circle cx="16" cy="25" r="1.3" fill="#5f6b7a"/>
</svg>
)svg";
// a page with a green badge
constexpr std::string_view kRegisteredSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M7 3h12l6 6v20H7z" fill="#ffffff" stroke="#5f6b7a"/>
  <path d="M19 3v6h6" fill="#dfe4ea" stroke="#5f6b7a"/>
  <circle cx="21" cy="23" r="6" fill="#2e9d4f" stroke="#1b6b33"/>
  <path d="M18 23l2 2 4-4" fill="none" stroke="#ffffff" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>
</svg>
)svg";
// a plain page
constexpr std::string_view kOtherSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M7 3h12l6 6v20H7z" fill="#ffffff" stroke="#5f6b7a"/>
  <path d="M19 3v6h6" fill="#dfe4ea" stroke="#5f6b7a"/>
</svg>
)svg";
}  // namespace

std::string_view ownIconKey(OwnIcon which) {
  switch (which) {
    case OwnIcon::Directory:
      return "vz-directory";
    case OwnIcon::Encrypted:
      return "vz-encrypted";
    case OwnIcon::Program:
      return "vz-program";
    case OwnIcon::Unassigned:
      return "vz-unassigned";
    case OwnIcon::Registered:
      return "vz-registered";
    case OwnIcon::Other:
      return "vz-other";
  }
  return {};
}

std::string_view ownIconSvg(OwnIcon which) {
  switch (which) {
    case OwnIcon::Directory:
      return kDirectorySvg;
    case OwnIcon::Encrypted:
      return kEncryptedSvg;
    case OwnIcon::Program:
      return kProgramSvg;
    case OwnIcon::Unassigned:
      return kUnassignedSvg;
    case OwnIcon::Registered:
      return kRegisteredSvg;
    case OwnIcon::Other:
      return kOtherSvg;
  }
  return {};
}

}  // namespace vz::icons
