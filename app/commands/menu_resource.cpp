#include "app/commands/menu_resource.h"

#include "app/commands/command_ids.h"
#include "resources/string_ids.h"

#include <array>
#include <initializer_list>

namespace {

namespace C = CommandId;

MenuItemResource Item(uint32_t id, int image = -1) {
    MenuItemResource item;
    item.kind = MenuItemResource::Kind::Command;
    item.commandId = id;
    item.textId = id;
    item.image = image;
    return item;
}

MenuItemResource Separator() {
    MenuItemResource item;
    item.kind = MenuItemResource::Kind::Separator;
    return item;
}

MenuItemResource Popup(uint32_t textId, std::initializer_list<MenuItemResource> children) {
    MenuItemResource item;
    item.kind = MenuItemResource::Kind::Popup;
    item.textId = textId;
    item.children = children;
    return item;
}

MenuResource MainMenu() {
    return MenuResource{
        kMainMenuId,
        {
            Popup(kDrivesPopupId, {Item(C::kShowDriveList, 0), Item(C::kRefreshDriveList, 1),
                                   Item(C::kOpenDriveUsingScanInformation), Item(C::kOpenImageFile),
                                   Separator(), Item(C::kExit)}),
            Popup(kFilesPopupId,
                  {Item(C::kRecoverAll, 2), Item(C::kRecoverSelected, 3), Separator(),
                   Item(C::kAddFileFilter, 4), Item(C::kRemoveFileFilter)}),
            Popup(kToolsPopupId,
                  {Item(C::kStopCurrentProcess, 5),
                   Separator(),
                   Item(C::kSaveScanInformation),
                   Item(C::kAdvanceSettings, 6),
                   Separator(),
                   Item(C::kFind, 7),
                   Item(C::kFindNext, 8),
                   Separator(),
                   Item(C::kFileMask, 9),
                   Item(C::kShowOriginalList),
                   Separator(),
                   Item(C::kSelectAll),
                   Item(C::kUnselectAll),
                   Separator(),
                   Item(C::kSaveLog),
                   Item(C::kClearLog),
                   Separator(),
                   Popup(kLinkingModePopupId, {Item(C::kLinkingFat1), Item(C::kLinkingFat2),
                                               Item(C::kLinkingContiguous)}),
                   Separator(),
                   Item(C::kAppendHeaderFile),
                   Item(C::kFilePreview, 22)}),
            Popup(kViewPopupId,
                  {Item(C::kViewToolbar), Item(C::kViewStatusBar), Item(C::kMessageLog),
                   Separator(), Item(C::kGoUp, 10), Separator(), Item(C::kLargeIcon),
                   Item(C::kSmallIcon), Item(C::kList), Item(C::kDetails), Separator(),
                   Popup(kArrangePopupId,
                         {Item(C::kArrangeName), Item(C::kArrangeType), Item(C::kArrangeSize),
                          Item(C::kArrangeModified), Item(C::kArrangeCreated),
                          Item(C::kArrangeAccessed), Item(C::kArrangeFileId)})}),
            Popup(kLanguagePopupId,
                  {Item(C::kEnglish, 11), Item(C::kFrench, 12), Item(C::kGerman, 13),
                   Item(C::kSpanish, 14), Item(C::kItalian, 15)}),
            Popup(kHelpPopupId, {Item(C::kHelpTopics, 18), Separator(), Item(C::kUpdate, 20),
                                 Separator(), Item(C::kEmailSupport), Item(C::kViewSupportSection),
                                 Item(C::kKnowledgeBase), Item(C::kGenerateTicket), Separator(),
                                 Item(C::kTipOfTheDay), Separator(), Item(C::kAbout, 21)}),
        }};
}

// The context menus are flat: the view opens them as one popup.
MenuResource EntryContextMenu() {
    return MenuResource{kEntryContextMenuId,
                        {Item(C::kPreview, 22), Separator(), Item(C::kSelectUnselect),
                         Item(C::kRecover, 3), Item(C::kRename), Separator(),
                         Item(C::kShowProperties)}};
}

MenuResource DriveContextMenu() {
    return MenuResource{kDriveContextMenuId,
                        {Item(C::kDiskPreview, 22), Separator(), Item(C::kProperties)}};
}

} // namespace

const MenuResource* FindMenuResource(uint32_t id) {
    static const std::array<MenuResource, 3> menus = {MainMenu(), EntryContextMenu(),
                                                      DriveContextMenu()};
    for (const MenuResource& menu : menus) {
        if (menu.id == id)
            return &menu;
    }
    return nullptr;
}

std::span<const uint32_t> ToolbarButtons() {
    static constexpr std::array<uint32_t, 23> kButtons = {C::kShowDriveList,
                                                          C::kRefreshDriveList,
                                                          0,
                                                          C::kRecoverAll,
                                                          C::kRecoverSelected,
                                                          C::kAddFileFilter,
                                                          0,
                                                          C::kStopCurrentProcess,
                                                          C::kFind,
                                                          C::kFindNext,
                                                          C::kFileMask,
                                                          C::kFilePreview,
                                                          0,
                                                          C::kViewToolbar,
                                                          C::kViewStatusBar,
                                                          C::kMessageLog,
                                                          C::kGoUp,
                                                          C::kLargeIcon,
                                                          C::kSmallIcon,
                                                          C::kList,
                                                          C::kDetails,
                                                          0,
                                                          C::kUpdate};
    return kButtons;
}
