// files/TonewheelFileCommands
