// ui/CustomAlertWindow
