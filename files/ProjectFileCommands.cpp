// files/ProjectFileCommands
