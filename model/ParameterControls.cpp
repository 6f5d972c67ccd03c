// model/ParameterControls
