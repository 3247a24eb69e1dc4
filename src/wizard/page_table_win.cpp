// The one place that knows every page. A page file fills its entry here once it is built;
// until then the entry has no procedure and the walk passes over it.
#include "install/copy_page.h"
#include "install/scan_page.h"
#include "resources/resource_ids.h"
#include "system/finish_page.h"
#include "system/update_page.h"
#include "wizard/frame.h"
#include "wizard/pages.h"

PageEntry PageTable[kPageCount + 1] = {
    {IDD_SCAN, ScanPageProc},
    {IDD_WELCOME, WelcomePageProc},
    {IDD_OPTIONS, OptionsPageProc},
    {IDD_PROGRAM_GROUP, GroupPageProc},
    {IDD_COPY, CopyPageProc},
    {IDD_SYSTEM_UPDATE, UpdatePageProc},
    {IDD_FINISH, FinishPageProc},
    {0, nullptr},
};
