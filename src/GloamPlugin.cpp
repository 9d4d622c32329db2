// Placeholder until the plug-in lands; keeps the module target buildable.
