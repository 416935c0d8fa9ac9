#pragma once

// Resource ids of the player program.
#define IDI_PLAYER 101
#define IDD_PROGRESS 184
#define IDC_PROGRESS_PERCENT 1085
#define IDC_PROGRESS_TITLE 1087
#define IDC_PROGRESS_BAR 1088
