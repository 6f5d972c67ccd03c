// ui/CustomComboBox
