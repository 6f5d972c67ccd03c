// ui/MessageBoxes
