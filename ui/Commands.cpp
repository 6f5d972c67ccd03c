// ui/Commands
