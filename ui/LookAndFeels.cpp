// ui/LookAndFeels
