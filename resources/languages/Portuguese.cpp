#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"Este programa utiliza a biblioteca FreeType (https://freetype.org/).\n\n"
                               u"Os codificadores MP3, Vorbis e FLAC são programas independentes:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kPortugueseTable = {
    ui(u"OK"), ui(u"Cancelar"), ui(u"Arquivo"), ui(u"Converter"), ui(u"Consultar FreeDB"),
    ui(u"Sair\tAlt+F4"), ui(u"Exibir"), ui(u"Opções"), ui(u"Idioma"), TONVANE_LANGUAGE_NAMES, ui(u"Ajuda"),
    ui(texts::kWebLabel), ui(u"Insira um CD de música"), ui(u"Título:"), ui(u"Faixa"), ui(u"Duração:"),
    ui(u"Conectando ao FreeDB..."), ui(u"Conectado ao FreeDB"), ui(u"Enviando solicitação..."),
    ui(u"Recebendo informações..."), ui(u"Download concluído"), ui(u"Erro ao conectar ao FreeDB"),
    ui(u"Conexão com o FreeDB interrompida"), ui(u"Álbum:"), ui(u"Aplicar alterações a todas as faixas"),
    ui(u"Verificar atualizações..."), ui(u"Verificando atualizações..."),
    ui(u"Deseja atualizar para a versão %s?"), ui(u"Há atualizações disponíveis"),
    ui(u"Não há atualizações disponíveis"), ui(u"Baixando..."), ui(u"Sobre..."), ui(kAbout),
    ui(u"Ajuda..."), ui(product::kTutorialsPage), ui(u"Propriedades"), ui(u"Tutoriais"),
    ui(product::kWebPage),
    ui(u"Download"), ui(u"Não é possível abrir %s: %s"),
    ui(u"permissão negada. Adicione seu usuário ao grupo \"cdrom\" e entre novamente"),
    ui(u"a unidade está ocupada (outro programa a está usando)"),
    ui(u"Os arquivos já existem"),
    ui(u"%s já existe nesta pasta. Substituir os arquivos existentes ou manter ambos?"),
    ui(u"Substituir"),
    ui(u"Manter ambos"),
    ui(u"Nova pasta"), ui(u"O download falhou"),
    ui(u"Editar dados do álbum"),
    ui(u"Dados do álbum"),
    ui(u"Artista do álbum:"),
    ui(u"Ano:"),
    ui(u"Gênero:"),
    ui(u"Títulos digitados"),
    ui(u"Substituir os títulos que você digitou?"),
    ui(u"Manter"),
};

} // namespace tonvane
