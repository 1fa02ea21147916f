// Resource ids of the installer (shared by the resource script and the code).
#pragma once

#define IDI_INSTALLER 200

// Progress dialog.
#define ProgressDialogId 1010
#define IDC_PROGRESS_BAR 1000
#define IDC_STATUS_TEXT 1001
#define IDC_PROGRESS_ICON 200

// Question dialog; its buttons are IDYES (6) and IDNO (7).
#define QuestionDialogId 1030
#define IDC_QUESTION_TEXT 1031
