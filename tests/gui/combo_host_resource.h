// Resource identifiers of the combo-box test host.
#pragma once

#define IDD_COMBO_HOST 100
#define IDC_COMBO 1004
#define IDC_BROWSE 1009
