// No custom settings.
#pragma once
