// Numbers of the string table's texts.
#pragma once
