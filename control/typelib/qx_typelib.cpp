// The control's type library as constant tables.
//
// Everything here is constant-initialised (constexpr), so hosts and the
// control may read the tables from their own static initialisers without
// depending on the order in which translation units start up. Each method
// lists its parameters with the names and automation types of the
// interface; the hosts print them and convert command-line arguments by
// them, and the control's Invoke coerces arguments against them.
#include "control/typelib/qx_typelib.h"

namespace vz::control {

using com::FuncDesc;
using com::MemberKind;
using com::ParamDesc;
using com::VarType;

// All five identifiers share everything but the last digit of data1.
constexpr com::Guid LIBID_QX30W32Lib =
    com::makeGuid(0x070BA6E0, 0xBC0B, 0x11CF, 0xAB, 0xB4, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
constexpr com::Guid IID_DQX = com::makeGuid(0x070BA6E1, 0xBC0B, 0x11CF, 0xAB, 0xB4, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
constexpr com::Guid DIID_DQXEvents =
    com::makeGuid(0x070BA6E2, 0xBC0B, 0x11CF, 0xAB, 0xB4, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
constexpr com::Guid CLSID_QX =
    com::makeGuid(0x070BA6E3, 0xBC0B, 0x11CF, 0xAB, 0xB4, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
constexpr com::Guid CLSID_QXPropPage =
    com::makeGuid(0x070BA6E4, 0xBC0B, 0x11CF, 0xAB, 0xB4, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);

namespace {

// Shorthands for the automation types of the tables.
constexpr VarType BSTR = VarType::BStr;
constexpr VarType BOOL = VarType::Bool;
constexpr VarType SHORT = VarType::I2;
constexpr VarType LONG = VarType::I4;
constexpr VarType DOUBLE = VarType::R8;
constexpr VarType VOID = VarType::Empty;

// ---- parameter lists of _DQX (shared where several methods take the same) ----
constexpr ParamDesc pNameInFilter[] = {{"szName", BSTR}, {"szPattern", BSTR}};
constexpr ParamDesc pCancel[] = {{"bCancel", BOOL}};
constexpr ParamDesc pSplit[] = {{"szZipName", BSTR},
                                {"szDestDir", BSTR},
                                {"lFirstBlockSizeInBytes", LONG},
                                {"lNextBlockSizeInBytes", LONG},
                                {"bBackGroundProcessing", BOOL},
                                {"szTitle", BSTR},
                                {"szMsg", BSTR}};
constexpr ParamDesc pSetGlobalComment[] = {{"szZipName", BSTR}, {"szComment", BSTR}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pSetLocalComment[] = {
    {"szZipName", BSTR}, {"szMask", BSTR}, {"szComment", BSTR}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pZipBg[] = {{"szZipName", BSTR}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pMakeExe[] = {{"szZipName", BSTR},     {"szEXEName", BSTR},    {"szProgramToLaunch", BSTR},
                                  {"szEXETitle", BSTR},    {"szELFFile", BSTR},    {"iOverwriteMode", SHORT},
                                  {"bAskDirectory", BOOL}, {"bWin32Target", BOOL}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pZipMaskBg[] = {{"szZipName", BSTR}, {"szMask", BSTR}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pCreateBlank[] = {{"szZipName", BSTR}, {"bOpenDialog", BOOL}};
constexpr ParamDesc pItem[] = {{"hListZIPITEM", LONG}, {"iIndex", SHORT}, {"bListCtrlMode", BOOL}};
constexpr ParamDesc pListHandle[] = {{"hListZIPITEM", LONG}};
constexpr ParamDesc pGetGlobalComment[] = {{"szZipName", BSTR}, {"iMaxLength", SHORT}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pGetLocalComment[] = {
    {"szZipName", BSTR}, {"szMask", BSTR}, {"iMaxLength", SHORT}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pTotalSize[] = {{"szZipName", BSTR}, {"bOriginalSize", BOOL}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pSortList[] = {{"hListZIPITEM", LONG}, {"iSortMode", SHORT}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pJoin[] = {{"szPartFileName", BSTR},
                               {"szDestDirectory", BSTR},
                               {"szTitle", BSTR},
                               {"szMsg", BSTR},
                               {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pRestore[] = {{"szSourceDirectory", BSTR},
                                  {"szDestinationDirectory", BSTR},
                                  {"iOverwriteMode", SHORT},
                                  {"bDisplayDialog", BOOL},
                                  {"bEraseReadOnlyFiles", BOOL},
                                  {"szTitle", BSTR},
                                  {"szMsg", BSTR},
                                  {"bBackGroundProcessing", BOOL}};
// The last parameter's name is spelt as the interface has always spelt it.
constexpr ParamDesc pUnzipToFile[] = {{"szZipName", BSTR},           {"szMask", BSTR},     {"szDestFile", BSTR},
                                      {"bEraseReadOnlyFiles", BOOL}, {"szPassword", BSTR}, {"bAskPassword", BOOL},
                                      {"bAckGroundProcessing", BOOL}};
constexpr ParamDesc pIsZipSlow[] = {
    {"szZipName", BSTR}, {"szPassword", BSTR}, {"bAskPassword", BOOL}, {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pBackup[] = {{"szMask", BSTR},
                                 {"szDestDrive", BSTR},
                                 {"bRecurse", BOOL},
                                 {"bUseArchiveFlag", BOOL},
                                 {"bRemoveArchiveFlag", BOOL},
                                 {"bForceSingleBackup", BOOL},
                                 {"szTitle", BSTR},
                                 {"szMsg", BSTR},
                                 {"iCompressionMode", SHORT},
                                 {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pView[] = {
    {"szZipName", BSTR},        {"szMask", BSTR},     {"bUseTextEditor", BOOL}, {"bRunEXE", BOOL},
    {"szPrivateTempDir", BSTR}, {"szPassword", BSTR}, {"bAskPassword", BOOL},   {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pSetString[] = {{"iStringID", SHORT}, {"szValue", BSTR}};
constexpr ParamDesc pDiskette[] = {{"szDiskette", BSTR}};
constexpr ParamDesc pDrive[] = {{"szDrive", BSTR}};
constexpr ParamDesc pIsWriteable[] = {{"szDestFile", BSTR}, {"lSizeInBytes", LONG}};
constexpr ParamDesc pHelpFile[] = {{"szHelpFile", BSTR}};
constexpr ParamDesc pIniFile[] = {{"szFile", BSTR}};
constexpr ParamDesc pPasswordMode[] = {{"bShow", BOOL}, {"bSave", BOOL}};
constexpr ParamDesc pUnzipFiles[] = {{"szZipName", BSTR},
                                     {"szMask", BSTR},
                                     {"szDestDirectory", BSTR},
                                     {"bRebuildDir", BOOL},
                                     {"bEraseReadOnlyFiles", BOOL},
                                     {"iOverwriteMode", SHORT},
                                     {"szPassword", BSTR},
                                     {"bAskPassword", BOOL},
                                     {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pZipFiles[] = {{"szZipName", BSTR},       {"szMask", BSTR},
                                   {"bRecurseSubDirs", BOOL}, {"iStorePathMethod", SHORT},
                                   {"iOverwriteMode", SHORT}, {"iCompressionMode", SHORT},
                                   {"bUseArchiveFlag", BOOL}, {"bRemoveArchiveFlag", BOOL},
                                   {"szPassword", BSTR},      {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pBuildList[] = {
    {"szZipName", BSTR},     {"hListZIPITEM", LONG}, {"bListCtrlMode", BOOL},        {"szPrivateTempDirectory", BSTR},
    {"bWindowsIcons", BOOL}, {"iSortMode", SHORT},   {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pDeleteSelection[] = {{"szZipName", BSTR},
                                          {"hListZIPITEM", LONG},
                                          {"hListSelected", LONG},
                                          {"bListIsListCtrl", BOOL},
                                          {"bBackGroundProcessing", BOOL}};
constexpr ParamDesc pBigIcons[] = {{"bBigIcons", BOOL}};
constexpr ParamDesc pListView[] = {{"hListView", LONG}};

constexpr FuncDesc kDQXMembers[] = {
    {1, "IsFileNameInFilter", BOOL, pNameInFilter},
    {2, "GetZipBufferSize", SHORT, {}},
    {3, "GetUnzipBufferSize", SHORT, {}},
    {4, "ZipCancel", VOID, pCancel},
    {5, "ZipGetReplaceFlag", SHORT, {}},
    {6, "Split", SHORT, pSplit},
    {7, "SetGlobalComment", SHORT, pSetGlobalComment},
    {8, "SetLocalComment", SHORT, pSetLocalComment},
    {9, "Repare", SHORT, pZipBg},
    {10, "MakeEXEFile", SHORT, pMakeExe},
    {11, "DeleteWithMask", SHORT, pZipMaskBg},
    {12, "CreateBlankZIPFile", BOOL, pCreateBlank},
    {13, "GetZIPITEMIsDir", BOOL, pItem},
    {14, "GetZIPITEMIsEncrypted", BOOL, pItem},
    {15, "GetZIPITEMIsArchive", BOOL, pItem},
    {16, "GetZIPITEMIsHidden", BOOL, pItem},
    {17, "GetZIPITEMIsSystem", BOOL, pItem},
    {18, "GetZIPITEMIsReadOnly", BOOL, pItem},
    {19, "GetZIPITEMIsAnnotated", BOOL, pItem},
    {20, "GetZIPITEMMethod", SHORT, pItem},
    {21, "GetZIPITEMDay", SHORT, pItem},
    {22, "GetZIPITEMMonth", SHORT, pItem},
    {23, "GetZIPITEMYear", SHORT, pItem},
    {24, "GetZIPITEMHour", SHORT, pItem},
    {25, "GetZIPITEMMin", SHORT, pItem},
    {26, "GetZIPITEMRate", SHORT, pItem},
    {27, "GetZIPITEMIconIndex", SHORT, pItem},
    {28, "GetZIPITEMOriginalSize", LONG, pItem},
    {29, "GetZIPITEMCrc", DOUBLE, pItem},
    {30, "UnzipGetReplaceFlag", SHORT, {}},
    {31, "BuildZIPITEMImageList", BOOL, {}},
    {32, "DestroyZIPITEMImageList", BOOL, {}},
    {33, "DestroyZIPITEMLParam", VOID, pListHandle},
    {34, "GetZIPINFOMadeUnder", SHORT, pZipBg},
    {35, "GetZIPINFOVersionMinor", SHORT, pZipBg},
    {36, "GetGlobalComment", BSTR, pGetGlobalComment},
    {37, "GetGlobalCommentSize", SHORT, pZipBg},
    {38, "GetLocalComment", BSTR, pGetLocalComment},
    {39, "GetCount", SHORT, pZipBg},
    {40, "GetTotalSize", DOUBLE, pTotalSize},
    {41, "IsFileInTheZIPFile", BOOL, pZipMaskBg},
    {42, "SortZIPITEMList", BOOL, pSortList},
    {43, "Join", SHORT, pJoin},
    {44, "Restore", SHORT, pRestore},
    {45, "UnzipCancel", VOID, pCancel},
    {46, "UnzipToFile", SHORT, pUnzipToFile},
    {47, "IsZIPFileQuick", SHORT, pZipBg},
    {48, "IsZIPFileSlow", SHORT, pIsZipSlow},
    {49, "Backup", SHORT, pBackup},
    {50, "View", BOOL, pView},
    {51, "SetStringResource", VOID, pSetString},
    {52, "IsDisketteReady", BOOL, pDiskette},
    {53, "IsDriveWriteable", BOOL, pDrive},
    {54, "IsWriteable", BOOL, pIsWriteable},
    {55, "SetHelpFile", VOID, pHelpFile},
    {56, "SetIniFile", VOID, pIniFile},
    {57, "SetPasswordMode", VOID, pPasswordMode},
    {58, "DeletePasswords", VOID, {}},
    {59, "GetZIPINFOVersionMajor", SHORT, pZipBg},
    {60, "GetZIPINFODiskID", SHORT, pZipBg},
    {61, "GetLocalCommentSize", SHORT, pZipMaskBg},
    {62, "GetNewZIPName", BSTR, {}},
    {63, "UnzipFiles", SHORT, pUnzipFiles},
    {64, "ZipFiles", SHORT, pZipFiles},
    {65, "BuildZIPITEMList", SHORT, pBuildList},
    {66, "DeleteWithSelection", SHORT, pDeleteSelection},
    {67, "GetZIPITEMName", BSTR, pItem},
    {68, "GetZIPITEMDir", BSTR, pItem},
    {69, "GetZIPITEMHImageList", LONG, pBigIcons},
    {70, "DeleteTempDirectories", BOOL, {}},
    {71, "SetListViewImageList", BOOL, pListView},
    {kDispIdAboutBox, "AboutBox", VOID, {}},
    {kDispIdHWnd, "hWnd", LONG, {}, MemberKind::PropertyReadOnly},
};

// ---- parameter lists of _DQXEvents ----
constexpr ParamDesc eName[] = {{"szName", BSTR}};
constexpr ParamDesc eNameRate[] = {{"szName", BSTR}, {"iRateDone", SHORT}};
constexpr ParamDesc eNameNoError[] = {{"szName", BSTR}, {"bNoError", BOOL}};
constexpr ParamDesc eJoining[] = {{"iSizeInKBytes", SHORT}, {"szPartFileName", BSTR}};
constexpr ParamDesc eJoined[] = {{"iPartFileNumber", SHORT}, {"lTotalSize", LONG}};
constexpr ParamDesc eTotalSize[] = {{"lTotalSize", LONG}};
constexpr ParamDesc eZipName[] = {{"szZipName", BSTR}};
constexpr ParamDesc eTempZipSize[] = {{"lTempZipSize", LONG}};
constexpr ParamDesc eRateDone[] = {{"iRateDone", SHORT}};
constexpr ParamDesc eZipping[] = {{"szCurrentFile", BSTR}, {"iProcessedKBytes", SHORT}};
constexpr ParamDesc eZipping2[] = {{"szCurrentFile", BSTR}, {"iRateDone", SHORT}};
constexpr ParamDesc eFileZipped[] = {{"szFileName", BSTR}, {"iCompressionRate", SHORT}};
constexpr ParamDesc eReparing[] = {{"szName", BSTR}, {"iRepareStep", SHORT}};
constexpr ParamDesc eCompute[] = {{"iFilesInZip", SHORT}};
constexpr ParamDesc eEncrypt[] = {{"szFileName", BSTR}, {"iRateDone", SHORT}};
constexpr ParamDesc eSplitting[] = {{"iSizeInKBytes", SHORT}, {"szPartFileName", BSTR}};
constexpr ParamDesc eSplitted[] = {{"iPartNumber", SHORT}, {"lSizeInBytes", LONG}};
constexpr ParamDesc eDeleting[] = {{"szCurrentFile", BSTR}};

constexpr FuncDesc kDQXEventMembers[] = {
    {1, "ZNOpenFile", VOID, eName},           {2, "ZNExpanding", VOID, eNameRate},
    {3, "ZNCloseFile", VOID, eNameNoError},   {4, "ZNTest", VOID, eNameNoError},
    {5, "ZNJoining", VOID, eJoining},         {6, "ZNJoined", VOID, eJoined},
    {7, "ZNJoinDoneSize", VOID, eTotalSize},  {8, "ZNJoinDoneName", VOID, eZipName},
    {9, "ZNRestoreBuildZip", VOID, eZipName}, {10, "ZNRestoreZipDone", VOID, eTempZipSize},
    {11, "ZNBackupBuildZip", VOID, eZipName}, {12, "ZNBackupZipDone", VOID, eTempZipSize},
    {13, "ZNMakeEXEStep1", VOID, {}},         {14, "ZNMakeEXEStep2", VOID, eRateDone},
    {15, "ZNZipping", VOID, eZipping},        {16, "ZNZipping2", VOID, eZipping2},
    {17, "ZNFileZipped", VOID, eFileZipped},  {18, "ZNWriting", VOID, eZipName},
    {19, "ZNReparing", VOID, eReparing},      {20, "ZNCompute", VOID, eCompute},
    {21, "ZNEncrypt", VOID, eEncrypt},        {22, "ZNSplitting", VOID, eSplitting},
    {23, "ZNSplitted", VOID, eSplitted},      {24, "ZNDeleting", VOID, eDeleting},
};

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST.
constexpr uint32_t kQxMiscStatus = 0x20191;

}  // namespace

constexpr com::InterfaceDesc kDQX = {"_DQX", IID_DQX, false, kDQXMembers};
constexpr com::InterfaceDesc kDQXEvents = {"_DQXEvents", DIID_DQXEvents, true, kDQXEventMembers};

constexpr com::CoClassDesc kQxClass = {"QX",          CLSID_QX, kQxProgId, "Quorrin95 Component", &kDQX, &kDQXEvents,
                                       kQxMiscStatus, true,     nullptr};
// The property page has no interfaces of its own in the library.
constexpr com::CoClassDesc kQxPropPageClass = {
    "QXPropPage", CLSID_QXPropPage, kQxPropPageProgId, "Quorrin Property Page", nullptr, nullptr, 0, false, nullptr};

namespace {
constexpr const com::InterfaceDesc* kQxInterfaces[] = {&kDQX, &kDQXEvents};
constexpr const com::CoClassDesc* kQxClasses[] = {&kQxClass, &kQxPropPageClass};
}  // namespace

constexpr com::TypeLibDesc kQxTypeLib = {"QX30W32Lib", LIBID_QX30W32Lib, 3, 0, kQxInterfaces, kQxClasses};

}  // namespace vz::control
