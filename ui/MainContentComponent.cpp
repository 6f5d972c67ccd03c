// ui/MainContentComponent
